#pragma once
// The multipart/form-data reader: a state machine fed with body chunks of any size. It reports
// each part's header, its data and its end; the caller decides what the parts become.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct TKXPartHeader {
  std::string Name;          // Content-Disposition name, quotes removed
  bool HasFileName = false;  // a filename parameter was present (it may be empty)
  std::string FileName;      // quoted: without its folder; unquoted: as sent
  int64_t FileSize = -1;     // a quoted filesize parameter, else -1
  bool HasContentType = false;
  std::string ContentType;   // the text after "Content-Type:", as it stands
};

enum class TKXMultipartResult { NeedMore, Complete, Rejected };

class TKXMultipartReader {
public:
  static constexpr size_t kDefaultMaxPartHeaderSize = 16384;
  static constexpr int kDefaultMaxParts = 1000;

  explicit TKXMultipartReader(std::string_view ABoundary);

  size_t MaxPartHeaderSize() const { return FMaxPartHeaderSize; }
  void SetMaxPartHeaderSize(size_t AValue) { FMaxPartHeaderSize = AValue; }
  int MaxParts() const { return FMaxParts; }
  void SetMaxParts(int AValue) { FMaxParts = AValue; }

  std::function<void(const TKXPartHeader&)> OnPartBegin;
  std::function<void(std::string_view)> OnPartData;   // a part's data, in pieces
  std::function<void()> OnPartEnd;

  // Complete once the closing delimiter has been read (the epilogue is ignored).
  TKXMultipartResult Feed(std::string_view AChunk);
  // The body has ended: Complete when it was, else Rejected with the reason.
  TKXMultipartResult Finish();
  const std::string& ErrorMessage() const { return FErrorMessage; }

  // The boundary parameter of a multipart content type (quotes removed); empty when none.
  static std::string BoundaryFromContentType(std::string_view AContentType);
  // One part's header block, its lines separated by CR LF.
  static TKXPartHeader ParsePartHeader(std::string_view ABlock);

private:
  enum class TState { Preamble, AfterDelimiter, AfterDash, Padding, PaddingLF, Header, Data, Epilogue, Failed };

  TKXMultipartResult Reject(std::string AMessage);
  // Runs the delimiter search over AChunk from AIndex; returns the index after the delimiter,
  // or AChunk.size() when it did not complete. Bytes that are not delimiter go to the part.
  size_t ScanData(std::string_view AChunk, size_t AIndex, bool& AFound);
  void Emit(std::string_view AData);
  void Flush();
  void DoPartBegin(const TKXPartHeader& AHeader);
  void DoPartEnd();

  TState FState = TState::Preamble;
  std::string FDelimiter;        // CR LF "--" boundary
  std::vector<size_t> FFailure;  // prefix function of FDelimiter
  size_t FMatched;               // bytes of FDelimiter matched so far
  std::string FHeader;
  std::string FPending;          // part data not yet reported
  int FParts = 0;
  size_t FMaxPartHeaderSize = kDefaultMaxPartHeaderSize;
  int FMaxParts = kDefaultMaxParts;
  std::string FErrorMessage;
};
