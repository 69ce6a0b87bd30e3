#pragma once
// The waited board request the driver, encoder and board windows' buttons send, and the frame
// of those windows.
#include "BoardAccess.h"
#include "ToolWindow.h"

// One board command to module 1, waiting for its reply; a missing reply throws
// "The board does not respond!", so nothing after it is sent.
inline void SendWaited(TBoardAccess &Board, uint8_t Command, uint8_t Type, uint8_t Motor, int32_t Value) {
  Board.SendCommand(1, Command, Type, Motor, Value, true, true);
}
