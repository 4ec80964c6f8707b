#pragma once
// Tooltips on the controls whose effect is not obvious from their captions (the captions
// themselves stay as they are).
class MainWindowWidget;
class SettingsWindow;
class TForm9;

void addMainWindowToolTips(MainWindowWidget& window);
void addSettingsToolTips(SettingsWindow& window, TForm9& form);
