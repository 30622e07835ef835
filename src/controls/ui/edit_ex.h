#pragma once
// A one-line edit with its own text colour, background colour and font. The colours
// go into the palette of every colour group, so a read-only or disabled edit shows
// them too. The 9-point "宋体" font is made at construction but only applied by
// SetFont; until then the edit keeps the font it inherits.

#include <QLineEdit>
#include <string>

#include "platform/ui/dc.h"
#include "platform/win_types.h"

// A font description, in the fields the drawing code names. Heights are pixels (the
// sign is ignored); width, escapement, orientation, character set, precisions,
// quality and pitch are carried but have no effect.
struct LOGFONT {
  LONG lfHeight = 0;
  LONG lfWidth = 0;
  LONG lfEscapement = 0;
  LONG lfOrientation = 0;
  LONG lfWeight = FW_NORMAL;
  BYTE lfItalic = 0;
  BYTE lfUnderline = 0;
  BYTE lfStrikeOut = 0;
  BYTE lfCharSet = 0;
  BYTE lfOutPrecision = 0;
  BYTE lfClipPrecision = 0;
  BYTE lfQuality = 0;
  BYTE lfPitchAndFamily = 0;
  std::string lfFaceName;
};

class CEditEx : public QLineEdit {
  Q_OBJECT

 public:
  explicit CEditEx(QWidget* parent = nullptr);
  ~CEditEx() override;

  // Each stores the colour and schedules a repaint; the text already there changes
  // colour with it.
  void SetTextColor(COLORREF colour);
  void SetBkColor(COLORREF colour);
  COLORREF GetTextColor() const { return text_; }
  COLORREF GetBkColor() const { return background_; }

  // Makes the font from the description and applies it to the edit.
  void SetFont(const LOGFONT& description);
  // Fills the description from the edit's font object (the one SetFont last made, or
  // the 9-point "宋体" of construction). Always succeeds.
  bool GetFont(LOGFONT& description) const;

 private:
  void ApplyColours();

  COLORREF text_;
  COLORREF background_;
  CFont font_;
  std::string faceName_;  // as asked for, before the font system resolves it
};
