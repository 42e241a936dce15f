#include "AsyncSequenceValueSignals.h"

namespace kestrova {

AsyncSequenceValueSignals::~AsyncSequenceValueSignals() = default;

} // namespace kestrova
