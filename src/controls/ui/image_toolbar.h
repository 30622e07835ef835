#pragma once
// A toolbar as the menus use it: loaded from a toolbar resource, it holds the
// buttons' command ids and three image lists made from the resource's strip
// (normal; disabled, the embossed look; hot, the same as normal). It owns its lists.
// CImageToolBar2 also records the button size the menus read.

#include <vector>

#include "platform/image_list.h"
#include "platform/win_types.h"

// Which list GetImageList returns.
constexpr int TB_GETIMAGELIST = 1073;
constexpr int TB_GETDISABLEDIMAGELIST = 1079;
constexpr int TB_GETHOTIMAGELIST = 1077;

class CToolBar {
 public:
  CToolBar() = default;
  virtual ~CToolBar() = default;
  CToolBar(const CToolBar&) = delete;
  CToolBar& operator=(const CToolBar&) = delete;

  // FALSE when the toolbar, its strip image or a button image is missing; the
  // toolbar is empty then.
  virtual BOOL LoadToolBar(UINT resourceId);
  int GetButtonCount() const { return static_cast<int>(commands_.size()); }
  // The command id of button i (0 for a separator or outside).
  UINT GetItemID(int index) const;
  // TB_GETIMAGELIST, TB_GETDISABLEDIMAGELIST or TB_GETHOTIMAGELIST; nullptr before
  // a load or for another message.
  CImageList* GetImageList(int message);
  CSize ImageSize() const { return imageSize_; }

 private:
  void Reset();

  std::vector<UINT> commands_;
  CImageList normal_;
  CImageList disabled_;
  CImageList hot_;
  CSize imageSize_;
};

class CImageToolBar2 : public CToolBar {
 public:
  BOOL LoadToolBar(UINT resourceId) override;
  void GetButtonSize(int& width, int& height) const {
    width = m_nButtonWidth;
    height = m_nButtonHeight;
  }

 private:
  int m_nButtonWidth = 0;
  int m_nButtonHeight = 0;
};
