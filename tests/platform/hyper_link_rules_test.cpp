#include "platform/hyper_link_rules.h"

#include <gtest/gtest.h>

namespace {

TEST(IsWebAddressTest, AcceptsHttpAndHttpsWithAHost) {
  EXPECT_TRUE(IsWebAddress("http://example.com"));
  EXPECT_TRUE(IsWebAddress("https://example.com/a?b=c#d"));
  EXPECT_TRUE(IsWebAddress("HTTP://Example.com/"));
  EXPECT_TRUE(IsWebAddress("http://127.0.0.1:8080/notice.txt"));
}

TEST(IsWebAddressTest, RefusesOtherSchemesAndBrokenAddresses) {
  EXPECT_FALSE(IsWebAddress(""));
  EXPECT_FALSE(IsWebAddress("javascript:alert(1)"));
  EXPECT_FALSE(IsWebAddress("file:///etc/passwd"));
  EXPECT_FALSE(IsWebAddress("ftp://example.com/"));
  EXPECT_FALSE(IsWebAddress("about:blank"));
  EXPECT_FALSE(IsWebAddress("http://"));
  EXPECT_FALSE(IsWebAddress("http:///path"));
  EXPECT_FALSE(IsWebAddress("example.com"));
  EXPECT_FALSE(IsWebAddress("httpx://example.com"));
  EXPECT_FALSE(IsWebAddress("http://exa mple.com/"));
  EXPECT_FALSE(IsWebAddress("http://example.com/\nSet-Cookie: x"));
  EXPECT_FALSE(IsWebAddress(" http://example.com/"));
}

TEST(IsWebAddressTest, LengthBound) {
  const std::string head = "http://example.com/";
  EXPECT_TRUE(IsWebAddress(head + std::string(kMaxWebAddressBytes - head.size(), 'a')));
  EXPECT_FALSE(IsWebAddress(head + std::string(kMaxWebAddressBytes - head.size() + 1, 'a')));
}

TEST(HyperLinkErrorTextTest, TableAndUnknownCodes) {
  EXPECT_EQ(HyperLinkErrorText(0), "The operating system is out\nof memory or resources.");
  EXPECT_EQ(HyperLinkErrorText(2), "The specified file was not found.");
  EXPECT_EQ(HyperLinkErrorText(3), "The specified path was not found.");
  EXPECT_EQ(HyperLinkErrorText(5), "The operating system denied\naccess to the specified file.");
  EXPECT_EQ(HyperLinkErrorText(8), "There was not enough memory to complete the operation.");
  EXPECT_EQ(HyperLinkErrorText(11), "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).");
  EXPECT_EQ(HyperLinkErrorText(26), "A sharing violation occurred. ");
  EXPECT_EQ(HyperLinkErrorText(27), "The filename association is\nincomplete or invalid.");
  EXPECT_EQ(HyperLinkErrorText(28), "The DDE transaction could not\nbe completed because the request timed out.");
  EXPECT_EQ(HyperLinkErrorText(29), "The DDE transaction failed.");
  EXPECT_EQ(HyperLinkErrorText(30),
            "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed.");
  EXPECT_EQ(HyperLinkErrorText(31), "There is no application associated\nwith the given filename extension.");
  EXPECT_EQ(HyperLinkErrorText(32), "The specified dynamic-link library was not found.");
  EXPECT_EQ(HyperLinkErrorText(1), "Unknown Error (1) occurred.");
  EXPECT_EQ(HyperLinkErrorText(33), "Unknown Error (33) occurred.");
  EXPECT_EQ(HyperLinkErrorText(-7), "Unknown Error (-7) occurred.");
  EXPECT_STREQ(kHyperLinkErrorPrefix, "Unable to open hyperlink:\n\n");
}

}  // namespace
