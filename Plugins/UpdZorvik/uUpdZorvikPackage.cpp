#include "Plugins/UpdZorvik/uUpdZorvik.h"
#include "http/HttpClient.h"
#include "platform/Finally.h"
#include "platform/Locale.h"
#include "ui/Application.h"

bool TfrmUpdZorvik::OpenPackage(TSourceLocation Location, UStringView Source, std::unique_ptr<TStream>& Stream) {
  Stream.reset();
  switch (Location) {
    case slInternet:
      return DownloadPackage(Source, TempArchiveName, Stream);
    case slLocal:
      return OpenLocalPackage(Source, Stream);
    default:
      return false;
  }
}

bool TfrmUpdZorvik::DownloadPackage(UStringView URL, UStringView FileName, std::unique_ptr<TStream>& Stream) {
  Stream.reset();
  bool result = false;
  auto client = std::make_unique<THTTPClient>();
  TryFinally(
      [&] {
        psInfo.SetText(u"Trying to load data...");
        Application().ProcessMessages();
        if (!client->ExecuteRequest(u"GET", URL)) return;
        const auto& body = client->Document.Bytes();
        if (!PassesZipSignatureTest(body.data(), body.size())) return;
        {
          TFileStream out(FileName, fmCreate);
          out.WriteBuffer(body.data(), body.size());
        }
        client.reset();  // the body is on disk; let it go before the package is read
        Stream = std::make_unique<TFileStream>(FileName, fmOpenRead | fmShareExclusive);
        result = true;
      },
      [&] {
        psInfo.SetText(u"");
        Application().ProcessMessages();
        client.reset();
      });
  return result;
}

bool TfrmUpdZorvik::OpenLocalPackage(UStringView FileName, std::unique_ptr<TStream>& Stream) {
  Stream.reset();
  {
    // Other programs may read the file meanwhile, but not change it. Only as much of it
    // is read as the test needs: the first bytes, or all of it after a UTF-8 mark.
    TFileStream probe(FileName, fmOpenRead | fmShareDenyWrite);
    if (!LocalPackagePassesSignatureTest(probe)) return false;
  }
  Stream = std::make_unique<TFileStream>(FileName, fmOpenRead | fmShareExclusive);
  return true;
}
