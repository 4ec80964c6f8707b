#pragma once
// The file chooser for the picture to send: JPEG, PNG and BMP files, with a preview of the
// picture under the cursor beside the list.
#include <optional>
#include <string>

class QWidget;

// The chosen file's path; nothing when the operator cancelled.
std::optional<std::string> choosePictureWithPreview(QWidget* owner, const std::string& folder);
