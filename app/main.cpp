#include "AppMain.h"

int main(int argc, char **argv) {
    return kestrova::AppMain::main(argc, argv);
}
