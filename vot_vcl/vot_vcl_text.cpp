#include "vot_vcl_text.h"

namespace {
const char* const kTexts[8] = {
    "Неверное числовое значение: %s",
    "Масштаб",
    "По горизонтали",
    "По вертикали",
    "Отменить",
    "Применить",
    "Помощь",
    "Папка",
};
}  // namespace

const char* vcl_text(int index) { return kTexts[index]; }
