#pragma once
// The demo city of 200 000 objects as mkcity writes it, made once per run
// in a temporary folder.
#include <string>

namespace tarn {

const std::string& DemoCityDir();

} // namespace tarn
