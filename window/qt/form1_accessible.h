#pragma once

namespace zapwit {

class Form1;

// What assistive technology (AT-SPI on Linux) finds in the window beyond
// what Qt's own interfaces give: the form as a frame titled "ZAPWIT TEST",
// whose children are the four buttons, BOX, and one object per printed
// line, in order; BOX named "BOX", its colour and caption as its
// description, never announced as it changes. Each line is a notification
// whose name and text are the line: a screen reader presents it when it is
// printed (AnnounceLine), and finds it afterwards.

// Makes Qt build these interfaces for Form1 and its BOX. Idempotent;
// Form1 calls it before it builds its controls.
void InstallFormAccessibility();

// Tells assistive technology that `form` has just printed line `row`:
// the line becomes a child of the frame, and shows. Does nothing when no
// assistive technology is listening.
void AnnounceLine(Form1& form, int row);

}  // namespace zapwit
