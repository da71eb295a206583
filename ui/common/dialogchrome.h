// Look and placement shared by the frameless prompt dialogs: the font of their
// texts, the close and minimise buttons at the top right and the OK and Cancel
// buttons at the bottom right.
#pragma once

class QPushButton;
class QWidget;

// Puts the close button 20 pixels from the right edge and the minimise button
// 10 pixels left of it, both at y 10, with their tooltips and hover images.
void styleTitleButtons(QWidget *dialog, QPushButton *closeButton, QPushButton *minButton);

// Puts OK 14 pixels from the right and bottom edges and Cancel 10 pixels left
// of it, with their fonts and style sheets.
void styleAnswerButtons(QWidget *dialog, QPushButton *okButton, QPushButton *cancelButton);

// Places the answer buttons as setButtons does: OK 14 pixels from the right and
// bottom edges (90 pixels wide when Cancel is not shown), Cancel 13 pixels left
// of it. Visibility and texts stay with the caller.
void placeAnswerButtons(QWidget *dialog, QPushButton *okButton, QPushButton *cancelButton,
                        bool showCancel);
