#pragma once
// Copies one model control into its widget. Every window calls these after each event and
// buffer step; a copy never emits the widget's change signals, so no handler runs twice.
#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSlider>
#include <QSpinBox>

#include "app/controls.h"

void syncButton(QAbstractButton* widget, const Button& button);
void syncLabel(QLabel* widget, const Label& label);
void syncCombo(QComboBox* widget, const Combo& combo);
void syncEdit(QLineEdit* widget, const Edit& edit);
void syncMemo(QPlainTextEdit* widget, const Memo& memo);
void syncCheck(QAbstractButton* widget, const CheckBox& box);
void syncRadio(QAbstractButton* widget, const RadioButton& radio);
void syncUpDown(QSpinBox* widget, const UpDown& upDown);
void syncTrackBar(QSlider* widget, const TrackBar& bar);

QString qs(const std::string& text);
// A label that shows its text as it is: never as markup, whatever a received callsign holds.
QLabel* plainLabel(const QString& text = {}, QWidget* parent = nullptr);
std::string ss(const QString& text);
