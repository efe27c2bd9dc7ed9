#include "rvx/failure.h"

#include "rvx/message.h"

namespace rvx {

std::string DataFailure::describe() const {
    return std::string(parameterInfo(field).fieldName) + ": " + quoted(text) +
           (reason == Reason::NotANumber ? " is no number" : " leaves the 16-bit range");
}

}  // namespace rvx
