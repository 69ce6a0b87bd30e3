#pragma once
// What the driver, encoder and board windows share: a tool window of fixed size with title,
// minimise and close only, and the waited board request their buttons send.
#include <QLayout>
#include <QWidget>
#include "BoardAccess.h"

// A tool window: title, minimise and close, no size or maximise commands; fixed size after layout.
inline void SetUpToolWindow(QWidget *w) {
  w->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint |
                    Qt::WindowCloseButtonHint);
  w->layout()->setSizeConstraint(QLayout::SetFixedSize);
}

// One board command to module 1, waiting for its reply; a missing reply throws
// "The board does not respond!", so nothing after it is sent.
inline void SendWaited(TBoardAccess &Board, uint8_t Command, uint8_t Type, uint8_t Motor, int32_t Value) {
  Board.SendCommand(1, Command, Type, Motor, Value, true, true);
}
