#pragma once

namespace tarn {

// Fills the stream class registry (ids 100..131, in id order) and the type-code
// table once per process, before any file is read. Safe to call again.
void RegisterMapEngineClasses();

} // namespace tarn
