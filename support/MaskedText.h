#pragma once
// Reading an edit that has an input mask by its positions.
class QLineEdit;
class QString;

// The edit's characters position by position, an unfilled position as a blank (' '). Unlike
// QLineEdit::text(), which drops unfilled positions and so moves every character after a deleted
// one to the left. An edit without a mask gives its text as it stands.
QString MaskedText(const QLineEdit *Edit);
