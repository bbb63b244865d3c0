// Per-observation-type defaults: a-priori precision, time-out, extrapolation
// time and the quantity code (geodesy/quantity_units.h) of the observed value.
//
//   float timeout = GetDefaultObsTimeout(obs.type);          // 0.0: no limit
//   float precision = GetDefaultObsPrecisionInUnits(1, 8, 0.0);   // range in seconds
//   int quantity = GetObsQuantity(obs.type);                 // -1: none
//
// Every code is answered, including negative ones and codes above 113; -1 is
// the "no type" code with its own precision (999.0).
#pragma once

// The a-priori precision in the type's own quantity.
float GetDefaultObsPrecision(int type);

// GetDefaultObsPrecision converted into `quantity`: lengths from metres,
// angles and angular rates from degrees, pressures from bar, by the current
// unit factors. A range (type 1) in seconds (8) or milliseconds (9) is the
// precision divided by the sound velocity: 1485.0 when soundVelocity is 0.0,
// else soundVelocity in survey units taken to metres. A step whose divisor is
// 0.0 leaves the precision as it stands.
float GetDefaultObsPrecisionInUnits(int type, int quantity, double soundVelocity);

// Seconds a request may lie outside the time span of an observation's data;
// 0.0 means no limit.
float GetDefaultObsTimeout(int type);

// Seconds an observation may be extrapolated; 0.0 for every type.
double GetDefaultObsExtrapolation(int type);

// The quantity code of the observed value, or -1 for none.
int GetObsQuantity(int type);
