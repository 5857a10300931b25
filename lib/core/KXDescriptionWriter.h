#pragma once
// Writes a root object and the components it owns in the stored-description syntax that
// TKXDescriptionReader reads, from the property tables. Only values that differ from those of
// a freshly constructed instance of the same class are written; children are nested under the
// component GetParentComponent() names (the root for top-level ones). Lines end with LF.
#include <string>

class TKXComponent;

std::string KXWriteDescription(TKXComponent& ARoot);
