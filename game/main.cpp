// ぽてまる: run it from the folder that holds pote/ (the pictures and sounds).
#include "potemaru.h"

int main() { return Potemaru(); }
