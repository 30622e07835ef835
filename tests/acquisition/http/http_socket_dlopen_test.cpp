// Loads libvelkorhttp.so at run time (this test does not link it) and resolves every
// member of the class by its mangled name, then drives an object through the
// resolved addresses alone.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>

#include "acquisition/http_socket.h"  // for the object's size only; nothing is called through it

namespace {

const char* const kMembers[] = {
    "_ZN11CHttpSocketC1Ev",
    "_ZN11CHttpSocketC2Ev",
    "_ZN11CHttpSocketD0Ev",
    "_ZN11CHttpSocketD1Ev",
    "_ZN11CHttpSocketD2Ev",
    "_ZN11CHttpSocket6SocketEv",
    "_ZN11CHttpSocket7ConnectEPci",
    "_ZN11CHttpSocket19FormatRequestHeaderEPcS0_RlS0_S0_lli",
    "_ZN11CHttpSocket11SendRequestEPKcl",
    "_ZN11CHttpSocket17GetResponseHeaderERi",
    "_ZNK11CHttpSocket16GetRequestHeaderEPci",
    "_ZN11CHttpSocket15GetResponseLineEPci",
    "_ZN11CHttpSocket8GetFieldEPKcPci",
    "_ZN11CHttpSocket14GetServerStateEv",
    "_ZN11CHttpSocket10SetTimeoutEii",
    "_ZN11CHttpSocket7ReceiveEPcl",
    "_ZN11CHttpSocket11CloseSocketEv",
    "_ZTV11CHttpSocket",
    "_ZTI11CHttpSocket",
    "_ZTS11CHttpSocket",
};

class HttpSocketDlopen : public testing::Test {
 protected:
  void SetUp() override {
    handle_ = dlopen(VELKOR_HTTP_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
  }
  void TearDown() override {
    if (handle_ != nullptr) dlclose(handle_);
  }
  template <typename F>
  F Resolve(const char* name) {
    return reinterpret_cast<F>(dlsym(handle_, name));
  }
  void* handle_ = nullptr;
};

TEST_F(HttpSocketDlopen, EveryMemberResolvesByItsMangledName) {
  for (const char* name : kMembers) {
    dlerror();
    void* address = dlsym(handle_, name);
    EXPECT_NE(address, nullptr) << name << ": " << (dlerror() ? "missing" : "null");
  }
}

TEST_F(HttpSocketDlopen, ObjectWorksThroughTheResolvedAddresses) {
  using Ctor = void (*)(void*);
  using Dtor = void (*)(void*);
  using Format = const char* (*)(void*, char*, char*, long&, char*, char*, long, long, int);
  using State = int (*)(void*);
  using Copy = int (*)(const void*, char*, int);
  auto construct = Resolve<Ctor>("_ZN11CHttpSocketC1Ev");
  auto destroy = Resolve<Dtor>("_ZN11CHttpSocketD1Ev");
  auto format = Resolve<Format>("_ZN11CHttpSocket19FormatRequestHeaderEPcS0_RlS0_S0_lli");
  auto state = Resolve<State>("_ZN11CHttpSocket14GetServerStateEv");
  auto copy = Resolve<Copy>("_ZNK11CHttpSocket16GetRequestHeaderEPci");
  ASSERT_TRUE(construct && destroy && format && state && copy);

  alignas(CHttpSocket) unsigned char storage[sizeof(CHttpSocket)];
  construct(storage);
  // The object's first word is its vtable pointer, which points into the exported vtable.
  void* vptr = nullptr;
  std::memcpy(&vptr, storage, sizeof vptr);
  auto* vtable = static_cast<char*>(dlsym(handle_, "_ZTV11CHttpSocket"));
  ASSERT_NE(vtable, nullptr);
  EXPECT_EQ(vptr, vtable + 2 * sizeof(void*));

  EXPECT_EQ(state(storage), -1);
  char server[] = "h";
  char object[] = "/x";
  long length = 0;
  const char* text = format(storage, server, object, length, nullptr, nullptr, 7, 0, 0);
  ASSERT_NE(text, nullptr);
  const std::string expected =
      "GET /x HTTP/1.1\r\nHost:h\r\nAccept:*/*\r\n"
      "User-Agent:Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n"
      "Connection:Keep-Alive\r\nRange: bytes=7-\r\n\r\n";
  EXPECT_EQ(std::string(text), expected);
  EXPECT_EQ(length, static_cast<long>(expected.size()));
  char buffer[256];
  EXPECT_EQ(copy(storage, buffer, sizeof buffer), static_cast<int>(expected.size()));
  destroy(storage);
}

}  // namespace
