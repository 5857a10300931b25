#include "SkStringList.h"

#include "SkStrUtils.h"

void TSkStringList::Insert(int AIndex, std::string ALine) {
  FLines.insert(FLines.begin() + AIndex, std::move(ALine));
}

void TSkStringList::Delete(int AIndex) { FLines.erase(FLines.begin() + AIndex); }

int TSkStringList::IndexOf(std::string_view ALine) const {
  for (int I = 0; I < Count(); ++I)
    if (SameText(FLines[I], ALine)) return I;
  return -1;
}

int TSkStringList::IndexOfName(std::string_view AName) const {
  for (int I = 0; I < Count(); ++I) {
    const std::string& L = FLines[I];
    const size_t P = L.find('=');
    if (P != std::string::npos && SameText(std::string_view(L).substr(0, P), AName)) return I;
  }
  return -1;
}

std::string TSkStringList::Names(int AIndex) const {
  const std::string& L = (*this)[AIndex];
  const size_t P = L.find('=');
  return P == std::string::npos ? L : L.substr(0, P);
}

std::string TSkStringList::ValueFromIndex(int AIndex) const {
  const std::string& L = (*this)[AIndex];
  const size_t P = L.find('=');
  return P == std::string::npos ? std::string() : L.substr(P + 1);
}

std::string TSkStringList::Values(std::string_view AName) const {
  const int I = IndexOfName(AName);
  return I < 0 ? std::string() : ValueFromIndex(I);
}

void TSkStringList::SetValue(std::string_view AName, std::string_view AValue) {
  const int I = IndexOfName(AName);
  if (AValue.empty()) {
    if (I >= 0) Delete(I);
    return;
  }
  std::string Line = std::string(AName) + "=" + std::string(AValue);
  if (I >= 0)
    FLines[I] = std::move(Line);
  else
    FLines.push_back(std::move(Line));
}

std::string TSkStringList::Text() const {
  size_t Size = 0;
  for (const std::string& L : FLines) Size += L.size() + 2;
  std::string R;
  R.reserve(Size);
  for (const std::string& L : FLines) {
    R += L;
    R += "\r\n";
  }
  return R;
}

void TSkStringList::SetText(std::string_view AText) {
  FLines.clear();
  ForEachLine(AText, [this](std::string_view ALine) { FLines.emplace_back(ALine); });
}

std::string TSkStringList::Join(std::string_view ASeparator) const {
  std::string R;
  for (size_t I = 0; I < FLines.size(); ++I) {
    if (I) R += ASeparator;
    R += FLines[I];
  }
  return R;
}
