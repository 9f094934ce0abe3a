#include "tools/fx/FxMain.h"

int main(int argc, char** argv) {
    return fx::RunFx(argc, argv);
}
