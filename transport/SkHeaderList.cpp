#include "SkHeaderList.h"

#include "SkStrUtils.h"
#include "SkStringList.h"

void TSkHeaderList::AddValue(std::string_view AName, std::string_view AValue) {
  Add(std::string(AName) + ": " + std::string(AValue));
}

std::string TSkHeaderList::Names(int AIndex) const {
  const std::string& L = (*this)[AIndex];
  const size_t P = L.find(':');
  return P == std::string::npos ? L : L.substr(0, P);
}

int TSkHeaderList::IndexOfName(std::string_view AName) const {
  for (int I = 0; I < Count(); ++I) {
    const std::string& L = FLines[static_cast<size_t>(I)];
    const size_t P = L.find(':');
    if (P != std::string::npos && SameText(std::string_view(L).substr(0, P), AName)) return I;
  }
  return -1;
}

bool TSkHeaderList::IsContinuation(int AIndex) const {
  const std::string& L = FLines[static_cast<size_t>(AIndex)];
  return !L.empty() && (L[0] == ' ' || L[0] == '\t');
}

std::string TSkHeaderList::ValueFromIndex(int AIndex) const {
  const std::string& L = (*this)[AIndex];
  const size_t P = L.find(':');
  std::string V = P == std::string::npos ? std::string() : Trim(std::string_view(L).substr(P + 1));
  if (FUnfoldLines)
    for (int I = AIndex + 1; I < Count() && IsContinuation(I); ++I) V += " " + Trim(FLines[static_cast<size_t>(I)]);
  return V;
}

std::string TSkHeaderList::Values(std::string_view AName) const {
  const int I = IndexOfName(AName);
  return I < 0 ? std::string() : ValueFromIndex(I);
}

void TSkHeaderList::DeleteContinuations(int AIndex) {
  while (AIndex + 1 < Count() && IsContinuation(AIndex + 1)) Delete(AIndex + 1);
}

std::vector<std::string> TSkHeaderList::FoldLine(std::string ALine) const {
  std::vector<std::string> R;
  const size_t Max = static_cast<size_t>(FFoldLinesLength);
  while (FFoldLines && Max > 0 && ALine.size() > Max) {
    // the last blank, tab or comma that keeps this piece within the length; index 0 of a
    // continuation line is its own leading blank and never a break
    size_t Break = std::string::npos;
    for (size_t I = std::min(Max, ALine.size() - 1); I > 0; --I)
      if (ALine[I] == ' ' || ALine[I] == '\t' || (ALine[I] == ',' && I < Max)) {
        Break = I;
        break;
      }
    if (Break == std::string::npos) break;
    if (ALine[Break] == ',') {
      R.push_back(ALine.substr(0, Break + 1));
      ALine = " " + TrimLeft(std::string_view(ALine).substr(Break + 1));
    } else {
      R.push_back(TrimRight(std::string_view(ALine).substr(0, Break)));
      ALine = " " + TrimLeft(std::string_view(ALine).substr(Break));
    }
    if (ALine == " ") return R;
  }
  R.push_back(std::move(ALine));
  return R;
}

void TSkHeaderList::SetValue(std::string_view AName, std::string_view AValue) {
  int I = IndexOfName(AName);
  if (AValue.empty()) {
    if (I >= 0) {
      DeleteContinuations(I);
      Delete(I);
    }
    return;
  }
  std::vector<std::string> Folded = FoldLine(std::string(AName) + ": " + std::string(AValue));
  if (I < 0) {
    FLines.insert(FLines.end(), Folded.begin(), Folded.end());
    return;
  }
  if (FFoldLines) DeleteContinuations(I);
  FLines[static_cast<size_t>(I)] = Folded[0];
  FLines.insert(FLines.begin() + I + 1, Folded.begin() + 1, Folded.end());
}

void TSkHeaderList::Extract(std::string_view AName, TSkStringList& ADest) const {
  for (int I = 0; I < Count(); ++I)
    if (!IsContinuation(I) && SameText(Names(I), AName)) ADest.Add(ValueFromIndex(I));
}

std::string TSkHeaderList::Text() const {
  std::string R;
  for (const std::string& L : FLines) R += L + "\r\n";
  return R;
}
