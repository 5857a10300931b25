#include "KXTestFolders.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;

TKXTempFolder::TKXTempFolder() {
  std::string Template = (fs::temp_directory_path() / "kxtestXXXXXX").string();
  if (!mkdtemp(Template.data())) throw std::runtime_error("cannot create a temporary folder");
  FPath = Template;
}

TKXTempFolder::~TKXTempFolder() {
  std::error_code Ec;
  fs::remove_all(FPath, Ec);
}

int TKXTempFolder::CountFiles() const {
  int N = 0;
  std::error_code Ec;
  for (auto It = fs::recursive_directory_iterator(FPath, Ec); !Ec && It != fs::recursive_directory_iterator();
       It.increment(Ec))
    if (It->is_regular_file()) ++N;
  return N;
}
