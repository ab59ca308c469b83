// zorvik-fetch URL FILE: downloads URL with THTTPClient into FILE, the way the module does.
#include <cstdio>

#include "http/HttpClient.h"
#include "platform/Classes.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: zorvik-fetch URL FILE\n");
    return 2;
  }
  THTTPClient client;
  if (!client.ExecuteRequest(u"GET", Utf8ToUString(argv[1]))) {
    std::fprintf(stderr, "zorvik-fetch: request failed (socket error %d)\n", client.Sock.LastError());
    return 1;
  }
  try {
    TFileStream out(Utf8ToUString(argv[2]), fmCreate);
    const auto& body = client.Document.Bytes();
    out.WriteBuffer(body.data(), body.size());
  } catch (const Exception& e) {
    std::fprintf(stderr, "zorvik-fetch: %s\n", e.what());
    return 1;
  }
  std::printf("%d %zu\n", client.ResultCode, client.Document.Bytes().size());
  return client.ResultCode >= 200 && client.ResultCode <= 299 ? 0 : 1;
}
