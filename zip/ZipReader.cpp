#include "zip/ZipReader.h"

#include "zip/ZipDirectory.h"
#include "zip/ZipError.h"

TZipReader::TZipReader() = default;
TZipReader::~TZipReader() = default;

void TZipReader::Open(TStream& archive) {
  Close();
  directory_ = std::make_unique<TZipDirectory>(archive);
  archive_ = &archive;
}

void TZipReader::Close() noexcept {
  directory_.reset();
  archive_ = nullptr;
  inBuf_ = {};
  outBuf_ = {};
}

const std::vector<TZipEntry>& TZipReader::Entries() const {
  static const std::vector<TZipEntry> kNone;
  return directory_ ? directory_->Entries() : kNone;
}

namespace {

UStringView FileNamePart(UStringView path) {
  const std::size_t slash = path.find_last_of(u"/\\");
  return slash == UStringView::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool TZipReader::FindFirst(UStringView name, TZipSearchRec& found) const {
  const auto& entries = Entries();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const TZipEntry& e = entries[i];
    if (SameTextAscii(e.Name, name) || SameTextAscii(FileNamePart(e.Name), name)) {
      found.Name = e.Name;
      found.DosDateTime = e.DosDateTime;
      found.Index = i;
      return true;
    }
  }
  return false;
}

void TZipReader::Extract(const TZipSearchRec& member, TStream& dest) { Extract(member.Index, dest); }
