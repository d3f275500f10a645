#pragma once

#include <string>

namespace zapwit {

// The window as the page's own HTML and CSS hold it, made at build time
// from the layout every front-end reads. The browser then shows the whole
// window, BOX red, on its first frame, before the game's WebAssembly has
// even arrived; once the game runs, Form1 takes these controls over.

// The controls, in the order they stack and Form1 finds them: the printed
// lines' element, the four start buttons in tab order, BOX.
std::string FormMarkup();

// The CSS that sizes the client area and places each control, in CSS
// pixels; BOX red.
std::string FormPlaces();

}  // namespace zapwit
