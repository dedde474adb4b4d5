// The firmware's version text, as the banner, @FWVER and the factory test
// show it.
#pragma once

constexpr char kFirmwareVersion[] = "ORVEL_v1.2.4 20210713";
