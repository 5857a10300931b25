#pragma once
// Byte streams: the content of responses, uploaded files and rendered pages. One small
// abstraction with an in-memory and a file implementation.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

enum class TSkSeekOrigin { soBeginning, soCurrent, soEnd };

class TSkStream {
public:
  TSkStream() = default;
  TSkStream(const TSkStream&) = delete;
  TSkStream& operator=(const TSkStream&) = delete;
  virtual ~TSkStream() = default;

  // Up to ACount bytes; fewer only at the end of the stream.
  virtual size_t Read(void* ABuffer, size_t ACount) = 0;
  // Writes all ACount bytes or raises "Stream write error".
  virtual size_t Write(const void* ABuffer, size_t ACount) = 0;
  // Returns the new position; seeking before the start raises "Stream seek error".
  virtual int64_t Seek(int64_t AOffset, TSkSeekOrigin AOrigin) = 0;
  virtual int64_t Size();
  virtual void SetSize(int64_t ASize) = 0;

  int64_t Position() { return Seek(0, TSkSeekOrigin::soCurrent); }
  void SetPosition(int64_t APosition) { Seek(APosition, TSkSeekOrigin::soBeginning); }

  // Exactly ACount bytes or "Stream read error".
  void ReadBuffer(void* ABuffer, size_t ACount);
  void WriteBuffer(const void* ABuffer, size_t ACount) { Write(ABuffer, ACount); }
  void WriteString(std::string_view AText) { Write(AText.data(), AText.size()); }
  // Up to ACount bytes from the current position.
  std::string ReadString(size_t ACount);
  // Every byte from the start; the position is left at the end.
  std::string ReadAll();
  // Copies ACount bytes from ASource's position; ACount 0 copies the whole source from its start.
  // Returns the number of bytes copied; a source that ends early raises "Stream read error".
  int64_t CopyFrom(TSkStream& ASource, int64_t ACount);
};

class TSkMemoryStream : public TSkStream {
public:
  TSkMemoryStream() = default;
  explicit TSkMemoryStream(std::string AData) : FData(std::move(AData)) {}

  size_t Read(void* ABuffer, size_t ACount) override;
  size_t Write(const void* ABuffer, size_t ACount) override;
  int64_t Seek(int64_t AOffset, TSkSeekOrigin AOrigin) override;
  int64_t Size() override { return static_cast<int64_t>(FData.size()); }
  void SetSize(int64_t ASize) override;

  // Room for ACapacity bytes in all, so a stream of about known size grows without copying.
  void Reserve(size_t ACapacity) { FData.reserve(ACapacity); }
  const std::string& DataString() const { return FData; }
  void SetDataString(std::string AData) { FData = std::move(AData); FPosition = 0; }
  // Hands the bytes over and leaves the stream empty.
  std::string TakeData();

private:
  std::string FData;
  int64_t FPosition = 0;
};

enum class TSkFileMode {
  fmCreate,         // create or truncate, read and write
  fmOpenRead,
  fmOpenWrite,
  fmOpenReadWrite,
};

class TSkFileStream : public TSkStream {
public:
  // Raises "Cannot create file \"name\". reason" or "Cannot open file \"name\". reason".
  TSkFileStream(const std::string& AFileName, TSkFileMode AMode);
  ~TSkFileStream() override;

  size_t Read(void* ABuffer, size_t ACount) override;
  size_t Write(const void* ABuffer, size_t ACount) override;
  int64_t Seek(int64_t AOffset, TSkSeekOrigin AOrigin) override;
  int64_t Size() override;
  void SetSize(int64_t ASize) override;

  const std::string& FileName() const { return FFileName; }

private:
  std::string FFileName;
  int FHandle = -1;
};
