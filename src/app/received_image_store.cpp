// The received-image store: automatic saves, browsing, deletion and the clipboard commands.
#include "app/main_window.h"

void TForm1::saveReceivedImage() {}
