#include "controls/ui/edit_ex.h"

#include <QPalette>
#include <cmath>

#include "platform/ui/qt_convert.h"

namespace {

constexpr const char* kDefaultFace = "宋体";
constexpr int kDefaultPointTenths = 90;
// Font heights are given in pixels at the usual 96 pixels per inch.
constexpr double kPixelsPerPoint = 96.0 / 72.0;

}  // namespace

CEditEx::CEditEx(QWidget* parent)
    : QLineEdit(parent),
      text_(GetSysColor(COLOR_WINDOWTEXT)),
      background_(GetSysColor(COLOR_WINDOW)),
      faceName_(kDefaultFace) {
  font_.CreatePointFont(kDefaultPointTenths, kDefaultFace);
  ApplyColours();
}

CEditEx::~CEditEx() = default;

void CEditEx::ApplyColours() {
  QPalette pal = palette();
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    pal.setColor(group, QPalette::Text, ToQColor(text_));
    pal.setColor(group, QPalette::WindowText, ToQColor(text_));
    pal.setColor(group, QPalette::Base, ToQColor(background_));
    pal.setColor(group, QPalette::Window, ToQColor(background_));
  }
  setPalette(pal);
  update();
}

void CEditEx::SetTextColor(COLORREF colour) {
  text_ = colour;
  ApplyColours();
}

void CEditEx::SetBkColor(COLORREF colour) {
  background_ = colour;
  ApplyColours();
}

void CEditEx::SetFont(const LOGFONT& d) {
  font_.CreateFont(d.lfHeight, d.lfWidth, d.lfEscapement, d.lfOrientation, d.lfWeight, d.lfItalic, d.lfUnderline,
                   d.lfStrikeOut, d.lfCharSet, d.lfOutPrecision, d.lfClipPrecision, d.lfQuality, d.lfPitchAndFamily,
                   d.lfFaceName);
  faceName_ = d.lfFaceName;
  setFont(font_.Font());
  update();
}

bool CEditEx::GetFont(LOGFONT& d) const {
  const QFont& font = font_.Font();
  d = LOGFONT{};
  const int pixels = font.pixelSize() > 0 ? font.pixelSize()
                                           : static_cast<int>(std::lround(font.pointSizeF() * kPixelsPerPoint));
  d.lfHeight = -pixels;
  d.lfWeight = font.weight();
  d.lfItalic = font.italic() ? 1 : 0;
  d.lfUnderline = font.underline() ? 1 : 0;
  d.lfStrikeOut = font.strikeOut() ? 1 : 0;
  d.lfFaceName = faceName_;
  return true;
}
