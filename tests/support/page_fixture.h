#pragma once
// The fixture of a page test (header only): the page under test, made from its
// services, sized, initialised and, unless told otherwise, shown and waited for until
// it is on screen; its controls found by dialog id. page_ is declared before the
// test's own members and so outlives them: the test's TearDown resets it first.

#include <gtest/gtest.h>

#include <memory>

#include "gui_driver.h"

template <class T>
class PageFixture : public testing::Test {
 protected:
  template <class Services>
  T& OpenPage(const Services& services, int width, int height, bool show = true) {
    page_ = std::make_unique<T>(services);
    page_->resize(width, height);
    page_->InitDialog();
    if (show) {
      page_->show();
      EXPECT_TRUE(GuiDriver::WaitForExposed(page_.get()));
    }
    return *page_;
  }

  // The page's control `id` as a W; a failure when there is none.
  template <class W>
  W* Get(int id) {
    W* w = GuiDriver::FindAs<W>(page_.get(), id);
    EXPECT_NE(w, nullptr) << id;
    return w;
  }

  std::unique_ptr<T> page_;
};
