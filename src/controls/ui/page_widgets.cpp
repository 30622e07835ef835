#include "controls/ui/page_widgets.h"

#include "platform/ui/qt_convert.h"

QFont ListFont() {
  QFont font(QString::fromUtf8(kListFontFamily));
  font.setStyleHint(QFont::Monospace);
  font.setPixelSize(kListFontPixels);
  return font;
}

QPushButton* MakeButton(QWidget* parent, int id, const char* text) {
  return MakeControl<QPushButton>(parent, id, QString::fromUtf8(text));
}

QLabel* MakeLabel(QWidget* parent, const char* text) { return new QLabel(QString::fromUtf8(text), parent); }

void SetEditTextFromStart(QLineEdit* edit, const std::string& text) {
  edit->setText(ToQString(text));
  edit->setCursorPosition(0);
}
