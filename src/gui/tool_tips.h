#pragma once
// Tooltips on the controls whose effect is not obvious from their captions (the captions
// themselves stay as they are).
class MainWindowWidget;
class SettingsWindow;
class SettingsDialog;

void addMainWindowToolTips(MainWindowWidget& window);
void addSettingsToolTips(SettingsWindow& window, SettingsDialog& form);
