// The four type vocabularies of the survey set-up (object, node, system and
// observation types) with their display texts and tree icon indexes.
//
//   std::string s = SystemTypeText(20);                  // "Multibeam Echosounder"
//   std::string o = ObservationTypeText(46, true, 3);    // "Pitch, Roll and Heave"
//   int image = imageBase + GetObsTypeIcon(obs.type);
//
// Every code outside a vocabulary gives "Undefined" and icon 0; no code, however
// large or negative, reads outside a table. Icon indexes point into image lists
// that the user interface owns; only the indexes are fixed here.
#pragma once

#include <string>

// Object types: 0 "Vessel" ... 101 "Earth", 102 "Space".
std::string ObjectTypeText(int code);
// System types 1..46.
std::string SystemTypeText(int code);
// Node types 0..5.
std::string NodeTypeText(int code);
// Observation types 0..113. With `combined` set, the members of a combined
// group give the group's name ("Position", "Offset (X, Y, Z)", "USBL (dX, dY,
// dZ)", "Pitch, Roll and Heave", "Rotation (X, Y, Z)"). Type 52 reads "Hopper
// Level" when the observation's system is of type 36 (Dredging Sensor).
std::string ObservationTypeText(int code, bool combined, int systemType);

// Index into the observation image list, 0..81.
int GetObsTypeIcon(int code);
// Node icon: 2 "Fixed Node" gives 6 when b is set; 3 and 4 give 5 when a is set.
int GetNodeTypeIcon(int code, bool a, bool b);
// Object icon: vessels (0, 10) give 7 instead of 3 when flag is 1.
int GetObjectTypeIcon(int code, int flag);
// The system type is its own icon offset.
int GetSystemTypeIcon(int code);
