// Owner of one zlib raw-deflate decompression stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// A raw deflate stream (no zlib or gzip wrapper), as ZIP members store it.
class TZipInflater {
 public:
  enum class TResult { Progress, End, DataError };

  // Raises EOutOfMemory when zlib cannot set the stream up.
  TZipInflater();
  ~TZipInflater();
  TZipInflater(const TZipInflater&) = delete;
  TZipInflater& operator=(const TZipInflater&) = delete;

  // Hands zlib the next piece of input; it must stay valid until it is used up.
  void SetInput(const std::uint8_t* data, std::size_t count);
  std::size_t InputLeft() const;
  // Inflates as much as fits into out; produced tells how many bytes were written. End
  // means the deflate stream is complete. DataError means the data is damaged; Message()
  // then holds zlib's reason.
  TResult Inflate(std::uint8_t* out, std::size_t capacity, std::size_t& produced);
  const char* Message() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
