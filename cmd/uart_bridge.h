// The terminal port in normal mode: a host sends "+++" lines that go out as
// text messages to UartPhone, and probes the mode with "++InitPin". The port
// opened here also carries the SMS-to-port forwarding and, while the bridge
// is off, the console mirror.
#pragma once

#include <atomic>

/// Thread body, started in normal mode. Opens the port with the configured
/// line setting and serves the bridge for ever while it is enabled; ends
/// otherwise (the port stays open unless it failed to open).
void* thread_UART_CMD(void*);

enum class BridgeStart {
  kPortFailed,  // no port: no bridge and no forwarding to the port
  kDisabled,    // port open in uart1, bridge off
  kRunning,     // port open in uart1, bridge serving
};

/// The start of the thread after the readiness wait: opens the port into
/// uart1 with the serial settings read now, and says which way it went.
BridgeStart UartBridgeStart();

/// Frames one line on uart1 as the command protocol does and handles it.
/// Waits at most `idle_timeout_ms` for a first byte (negative: for ever);
/// the number of bytes read, or -1 when nothing came.
int UartBridgeServeOnce(int idle_timeout_ms);

/// Handles one received line (without its CR) and answers on uart1:
/// "++InitPin..." gets "++InitPin;OK;0\r\n"; "+++" and a text of at most 160
/// septets (gsmIsoSeptetCount) are queued as one message to UartPhone and
/// echoed after the pause; a longer text gets "Err01\r\n", anything else
/// "Err02\r\n". Returns 1 when a
/// message was queued, else 0.
int UartBridgeHandleLine(const char* line);

/// Pause between queueing a message and echoing it (2000 ms), so a host
/// cannot outrun the sender; tests shorten it.
extern std::atomic<int> bridge_echo_pause_ms;
