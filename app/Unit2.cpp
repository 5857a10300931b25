#include "Unit2.h"

#include "session/KXApplication.h"
#include "controls/KXButton.h"
#include "core/KXClasses.h"
#include "Unit1.h"

namespace {
const bool GRegistered = KXRegisterClass<TKXForm2>();
}  // namespace

const TKXClassInfo& TKXForm2::StaticClassInfo() {
  (void)GRegistered;
  using T = TKXForm2;
  static const TKXClassInfo Info = KXClass<T, TKXAppForm>("TKXForm2")
                                       .Methods({KXMethod("KXButton1Click", &T::KXButton1Click)})
                                       .Fields({KXField("KXButton1", &T::KXButton1)});
  return Info;
}

void TKXForm2::KXButton1Click(TKXComponent*) {
  // Earlier forms stay with the session until it ends; the new one makes its own second form.
  KXCreate<TKXForm1>(WebApplication())->Show();
}
