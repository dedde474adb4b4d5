// @QCDATA: the loop-back, card, GPS, modem model and clock in one reply.
#pragma once

#include <string>

/// The model text of the stored AT+GMM answer: from "SIM7100C" up to the
/// next line feed when the answer begins with the echo "AT+GMM", else
/// "AT+GMM_Unknow".
std::string QcModelText(const std::string& gmm);
/// 1 when the RMC sentence holds a valid fix (",A,"), else 0.
int QcGpsFix(const std::string& gprmc);
/// The clock record as "YYYY-MM-DD HH:MM:SS".
std::string QcClockText();
/// Runs every check of @QCDATA and appends its reply line to `reply`.
void QcDataReport(std::string* reply);
