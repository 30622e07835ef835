#pragma once
// A minimal HTTP/1.1 GET client over a plain POSIX stream socket. It builds a request
// header as text, sends it, reads the answer's header one byte at a time up to the
// blank line (so no body byte is taken with it) and then hands out the status code,
// single header fields, header lines and raw body bytes.
//
// The class is the interface of libvelkorhttp.so: every public member function is
// exported under its C++ name, and nothing else of the library is. Signatures are
// fixed; `long` is 64 bits on our platform.
//
// An object is used by one thread at a time; nothing is locked. Failures are 0 (or -1)
// results, never messages or exceptions.

#define VELKOR_HTTP_EXPORT __attribute__((visibility("default")))

struct addrinfo;

class VELKOR_HTTP_EXPORT CHttpSocket {
 public:
  enum { kHeaderBufferSize = 1024 };
  // No socket held.
  enum { kNoSocket = -1 };

  CHttpSocket();
  // Closes the socket and frees the last look-up.
  virtual ~CHttpSocket();

  CHttpSocket(const CHttpSocket&) = delete;
  CHttpSocket& operator=(const CHttpSocket&) = delete;

  // 0 at once when connected. Else closes a held, unconnected handle and creates a TCP
  // stream socket; 1 when it was created, 0 when that failed.
  int Socket();
  // Resolves `host` (IPv4, first address) and connects the held socket to it, bounded at
  // 10 s. A connected object is closed first (the caller then calls Socket() again).
  // 1 on success; 0 for a null host, a failed look-up, no socket or a failed connect.
  // A connected socket gets receive and send time-outs of 10 s until SetTimeout.
  int Connect(char* host, int port);
  // Builds the GET request in the request buffer and returns it; `length` gets its
  // length. A request that would not fit the 1024-byte buffer gives an empty text and a
  // length of 0. `serverType` is not used.
  const char* FormatRequestHeader(char* server, char* object, long& length, char* cookie, char* referer,
                                  long from, long to, int serverType);
  // Sends `request` (the stored request when null; a `length` of 0 means the whole
  // text) and reads the answer's header. 0 when not connected, when there is nothing to
  // send or when the send fails; else 1.
  int SendRequest(const char* request, long length);
  // Reads the answer's header from the socket; `length` gets the bytes stored.
  const char* GetResponseHeader(int& length);
  // Copies at most `length` bytes of the stored request (no terminating zero).
  int GetRequestHeader(char* buffer, int length) const;
  // The next header line, CR LF included and no terminating zero; -1 at the end, after
  // which the first line comes again.
  int GetResponseLine(char* line, int maxLength);
  // The value of the first occurrence of `name` in the header, zero-terminated in
  // `value` (at most `length` bytes with the zero); the full value length, or -1.
  int GetField(const char* name, char* value, int length);
  // The status code; -1 when no header was read or the header is too short for one.
  int GetServerState();
  // Receive (type 0) or send (any other type) time-out in milliseconds; 1 when set.
  int SetTimeout(int milliseconds, int type);
  // One receive of at most `length` bytes; 0 when not connected. A result of 0 or less
  // closes the socket.
  long Receive(char* buffer, long length);
  // Closes a held socket; 0 when closing failed (members unchanged), else 1.
  int CloseSocket();

  char m_szResponseHeader[kHeaderBufferSize];
  char m_szRequestHeader[kHeaderBufferSize];
  int m_nPort;
  char m_szIpAddress[256];
  int m_bConnected;
  int m_hSocket;
  // The last host look-up (owned; freed by CloseSocket, the next look-up and the destructor).
  addrinfo* m_pHostEntry;
  int m_nCurIndex;
  int m_bResponsed;
  int m_nResponseHeaderSize;
};
