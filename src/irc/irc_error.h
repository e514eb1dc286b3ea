#pragma once

#include "base/exception.h"

// A component failed as a whole, e.g. the IRC client could not announce itself to the
// server after the TCP connection opened: "IRC Connect Failed".
class EComponentError : public ETalvinError
{
public:
    using ETalvinError::ETalvinError;
};
