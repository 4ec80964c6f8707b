#pragma once
// A reading of the local wall clock, as the platform gives it: calendar fields, no time zone.
struct LocalTime {
  int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};
