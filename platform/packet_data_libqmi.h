// What the libqmi backend makes of libqmi's answers (built with libqmi only).
#pragma once

#include <glib.h>

#include "platform/packet_data.h"

namespace platform {

/// A request's outcome from the GError libqmi gave (nullptr: success):
/// a QMI protocol error is the response's error code; a time-out or any
/// transport failure is a library failure.
QmiReply QmiReplyFromError(const GError* error);

}  // namespace platform
