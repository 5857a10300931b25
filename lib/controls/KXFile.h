#pragma once
// The file-upload control: a hidden frame whose form posts the chosen file to the upload
// address before the page itself is submitted; the application then saves the upload.
#include <memory>
#include <string>

#include "controls/KXCustomControl.h"

class TSkStream;

class TKXCustomFile : public TKXCustomInputControl, public IKXSubmitControl, public IKXFileControl {
public:
  explicit TKXCustomFile(TKXComponent* AOwner);
  ~TKXCustomFile() override;
  KX_DECLARE_CLASS_INFO

  TKXColor BGColor() const { return FBGColor; }
  void SetBGColor(TKXColor AValue);
  TKXColor FrameBGColor() const { return FFrameBGColor; }
  void SetFrameBGColor(TKXColor AValue);
  int ButtonHeight() const { return FButtonHeight; }
  void SetButtonHeight(int AValue);
  int StatusUpdateInterval() const { return FStatusUpdateInterval; }   // milliseconds
  void SetStatusUpdateInterval(int AValue) { FStatusUpdateInterval = AValue; }
  // Called periodically while an upload runs.
  TKXAsyncEvent OnStatus;

  // The chosen file's name without any directory part; empty before an upload.
  const std::string& FileName() const { return FFileName; }
  // The control's copy of the last upload; none before one.
  THTTPFile* File() const { return FFile.get(); }
  std::string ContentType() const;

  // Writes the upload to AFileName (the control's own FileName when empty). Saving under the
  // control's own FileName uses only its base name; a name that leaves nothing usable raises
  // EKXException and writes nothing. Without an upload nothing happens. The write is safe
  // (TKXFileSaver): links, folders, special files and the application's own files are refused,
  // and refusals and file-system failures raise EKXException with the reason.
  void SaveToFile(const std::string& AFileName = std::string());
  void SaveToStream(TSkStream& AStream);
  // The base name the control's own FileName is saved under: directories of either separator,
  // a drive letter and control characters removed; empty when nothing usable is left.
  static std::string SafeBaseName(const std::string& AFileName);

  // IKXInputControl: the posted field of a file part carries the chosen file's name.
  void RestoreValue(const std::string& AValue) override;
  // Keeps its own copy of the record (sharing its temporary file) and frees the previous one.
  void AssignUploadedFile(THTTPFile* AFile) override;
  bool SupportsSubmit() override { return true; }
  // IKXSubmitControl: stores the parameter; the control fires no event of its own.
  void DoSubmit(const std::string& AParam) override { FSubmitParam = AParam; }
  std::string GetSubmitParam() const override { return FSubmitParam; }
  // IKXFileControl: starts the status timer when OnStatus is assigned.
  std::string AsyncStatusScript() override;

  std::string RenderStyle(TKXComponent40Context* AContext) override;

protected:
  TKXHTMLTag* RenderHTML(TKXComponent40Context& AContext) override;
  void HookAsyncEvents(TKXComponent40Context& AContext, TKXScriptEvents& AEvents) override;
  // The document the frame loads: the upload form.
  std::string FrameDocument(TKXComponent40Context& AContext);

  TKXColor FBGColor = clNone, FFrameBGColor = clNone;
  int FButtonHeight = 21;
  int FStatusUpdateInterval = 1000;
  std::string FFileName;
  std::unique_ptr<THTTPFile> FFile;
};

class TKXFile : public TKXCustomFile {
public:
  explicit TKXFile(TKXComponent* AOwner) : TKXCustomFile(AOwner) {}
  KX_DECLARE_CLASS_INFO
};
