// Fixed texts of the base widget library, looked up by index (Russian, Windows-1251).
#pragma once

// Indices of the texts the widgets read.
constexpr int vcl_text_cancel = 4;  // "Отменить"
constexpr int vcl_text_apply = 5;   // "Применить"
constexpr int vcl_text_help = 6;    // "Помощь"
constexpr int vcl_text_folder = 7;  // "Папка"

// The table's constant text at index (0..7, not checked), valid for the life of the module.
const char* vcl_text(int index);
