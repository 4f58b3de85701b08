// The native build starts no outside programs: the compressor exists only
// as a Windows program, so a compressed news batch cannot be expanded here.
#include "news/outsideprogram.h"

namespace tarn {

ProgramRun runProgramAndWait(const std::string&, unsigned) { return ProgramRun::kCannotStart; }

}  // namespace tarn
