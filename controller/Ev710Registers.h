#pragma once
// Motion controller register map: address bytes, compose and decode of every register.
