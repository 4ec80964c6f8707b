#pragma once
// Options shared by the commands that set up a transmission: a choice among plain words
// (--mode, --code, --scan) and the picture quality (--scale), each stored as the index the
// station's combo or setting takes.
#include <string>
#include <vector>

namespace CLI {
class App;
}
class MainWindow;

// An option whose value is one of `words`, stored as its position in the list.
void addChoice(CLI::App& command, const std::string& name, int& target, const std::vector<std::string>& words,
               const std::string& help);

// --scale: an index 0..15 or a value of the scale table, stored as the Scale combo's index.
void addScaleOption(CLI::App& command, int& scaleIndex);

// The Scale combo index named by `text`: an index 0..15, or a value of the scale table written
// with a decimal point ("1.00", "0.5"); -1 when it is neither.
int scaleIndexFromText(const std::string& text);

// Selects the Mode, Code and Scale combos on the station as the operator does, each followed
// by its change handler.
void selectTransmitCombos(MainWindow& station, int modeIndex, int codeIndex, int scaleIndex);
