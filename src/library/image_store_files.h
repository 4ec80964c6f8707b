#pragma once
// The files of the received-image store: listing, saving, deleting. Failures come back as a
// one-line message naming the file; nothing here throws or ends the program.
#include <string>
#include <vector>

#include "core/local_time.h"
#include "imaging/picture.h"

// The copy of the picture stored last, for web pages and scripts that show the last picture
// heard. It is no station picture: no listing, browsing or deletion of the store takes it.
inline constexpr const char* kLatestPictureName = "latest.jpg";

// File names (not paths) of the regular files in folder whose extension is ".jpg" in any
// letter case, except latest.jpg, in ascending byte order of their names, which for stored
// names is time order. A missing or unreadable folder gives an empty list.
std::vector<std::string> listStoredImages(const std::string& folder);

// The path in folder under which a picture named fileName is saved without replacing another
// picture: folder/fileName when neither a file of that name nor its record (.json) is there,
// or when that path is `replaceable` (the earlier save of the same picture), otherwise the
// first free numbered name (~2, ~3, ...).
std::string unusedStoredPath(const std::string& folder, const std::string& fileName,
                             const std::string& replaceable);

// Creates the folders of path that do not exist (the whole path), then writes the picture
// there as a colour JPEG at quality 100, through a temporary file renamed into place.
bool saveJpeg(const Picture& picture, const std::string& path, std::string& error);

// Removes the file at path; false with a message when it cannot be removed.
bool deleteStoredFile(const std::string& path, std::string& error);

// Removes the picture at path and then its record: the .json of the same name, only when the
// picture has a name the station writes and that file is a picture record (anything else of
// that name stays). False with a message when either cannot be removed.
bool deleteStoredPicture(const std::string& path, std::string& error);

// Replaces folder/latest.jpg with a copy of the stored picture's bytes, through a temporary
// file; a symbolic link there is followed (its target is replaced), and a folder or special
// file of that name is left alone with a message.
bool copyToLatestPicture(const std::string& folder, const std::string& picturePath,
                         std::string& error);

// Deletes every stored picture of folder, with its record, whose name dates it more than
// deleteDay days before now (see storedImageIsOld). Stops at the first file that cannot be
// deleted and reports it.
bool deleteOldImageFiles(const std::string& folder, const LocalTime& now, int deleteDay,
                         std::string& error);
