#include "Unit1.h"

#include "session/KXApplication.h"
#include "controls/KXButton.h"
#include "core/KXClasses.h"
#include "controls/KXCompEdit.h"
#include "controls/KXFile.h"
#include "controls/KXLabel.h"
#include "Unit2.h"

namespace {
const bool GRegistered = KXRegisterClass<TKXForm1>();

const char* const kLogin = "kqzv";
const char* const kWrongLogin = "Nieprawidłowy login lub hasło";
}  // namespace

const TKXClassInfo& TKXForm1::StaticClassInfo() {
  (void)GRegistered;
  using T = TKXForm1;
  static const TKXClassInfo Info =
      KXClass<T, TKXAppForm>("TKXForm1")
          .Methods({KXMethod("KXAppFormCreate", &T::KXAppFormCreate), KXMethod("KXButton3Click", &T::KXButton3Click),
                    KXMethod("KXButton4Click", &T::KXButton4Click)})
          .Fields({KXField("KXButton3", &T::KXButton3), KXField("KXEdit2", &T::KXEdit2), KXField("KXEdit3", &T::KXEdit3),
                   KXField("KXFile1", &T::KXFile1), KXField("KXButton4", &T::KXButton4),
                   KXField("KXLabel1", &T::KXLabel1), KXField("KXLabel2", &T::KXLabel2)});
  return Info;
}

void TKXForm1::KXAppFormCreate(TKXComponent*) {
  FSecondForm = KXCreate<TKXForm2>(WebApplication());
}

void TKXForm1::KXButton3Click(TKXComponent*) {
  // Exact comparisons: no trimming, no case folding.
  if (KXEdit2->Text() == kLogin && KXEdit3->Text() == kLogin && FSecondForm)
    FSecondForm->Show();
  else
    WebApplication()->ShowMessage(kWrongLogin, smSameWindowFrame);
}

void TKXForm1::KXButton4Click(TKXComponent*) {
  // The control's own name: only its base name is used, relative to the current folder; without
  // a chosen file nothing is written.
  KXFile1->SaveToFile(KXFile1->FileName());
}
