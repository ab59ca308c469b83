#include "zip/ZipInflater.h"

#include <zlib.h>

#include "platform/SysUtils.h"

struct TZipInflater::Impl {
  z_stream z{};
};

TZipInflater::TZipInflater() : impl_(std::make_unique<Impl>()) {
  if (inflateInit2(&impl_->z, -MAX_WBITS) != Z_OK) throw EOutOfMemory(u"Out of memory");
}

TZipInflater::~TZipInflater() { inflateEnd(&impl_->z); }

void TZipInflater::SetInput(const std::uint8_t* data, std::size_t count) {
  impl_->z.next_in = const_cast<Bytef*>(data);
  impl_->z.avail_in = static_cast<uInt>(count);
}

std::size_t TZipInflater::InputLeft() const { return impl_->z.avail_in; }

TZipInflater::TResult TZipInflater::Inflate(std::uint8_t* out, std::size_t capacity,
                                            std::size_t& produced) {
  z_stream& z = impl_->z;
  z.next_out = out;
  z.avail_out = static_cast<uInt>(capacity);
  const int rc = inflate(&z, Z_NO_FLUSH);
  produced = capacity - z.avail_out;
  switch (rc) {
    case Z_OK:
    case Z_BUF_ERROR:  // no progress possible: the caller sees that nothing was produced
      return TResult::Progress;
    case Z_STREAM_END:
      return TResult::End;
    case Z_MEM_ERROR:
      throw EOutOfMemory(u"Out of memory");
    default:  // Z_DATA_ERROR, Z_NEED_DICT, Z_STREAM_ERROR
      return TResult::DataError;
  }
}

const char* TZipInflater::Message() const { return impl_->z.msg ? impl_->z.msg : "invalid data"; }
