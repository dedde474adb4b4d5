// The modem's QMI clients and the three WDS requests of the data call:
// packet service status, start network and stop network, each with its
// console lines and QMI log records. Start-up makes the clients; afterwards
// thread_net is their only user.
#pragma once

#include <atomic>
#include <cstdint>

/// Handle of the QMI endpoint; -1 before QMI_Init.
extern std::atomic<int32_t> qmi_hdl;
/// Result of the last NAS or WDS library call.
extern std::atomic<int32_t> nas_rc;
extern std::atomic<int32_t> wds_rc;

/// Opens the QMI endpoint and logs the handle; returns it.
int QMI_Init();
/// Takes the NAS client (unused afterwards, as a probe of the service) and
/// the WDS client: 0, or -1 with the client released.
int QMI_nas_getObj();
int QMI_wds_getObj();
/// True while the WDS client taken by QMI_wds_getObj is held; a request
/// that finds the endpoint gone drops it.
bool QmiWdsClientHeld();
/// False when this firmware has no packet data at all (built without libqmi).
bool QmiPacketDataBuiltIn();
/// The end of the process: releases both clients and closes the endpoint,
/// so that the modem does not keep their ids. Returns 0 or the failure.
int QmiReleaseClients();

/// The connection status (2 = connected), or 0 on any failure.
int QMI_wds_CheckDialupStatus();
/// Starts the call with the three credentials: 1 accepted, 0 failed.
int QMI_wds_dialup(const char* apn, const char* user, const char* password);
/// Stops the call the last start made: 1 accepted, 0 failed.
int QMI_wds_hangup();

/// Console lines of the QMI code go straight to standard output.
void QmiPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
