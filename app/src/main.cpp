#include "frmQuorvale.h"

int main(int argc, char** argv) {
    platform::ThunRTMain(QuorvaleProject(), argc, argv);
}
