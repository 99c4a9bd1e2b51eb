// padprobe: serves the host's touch-tuning requests on a UART.
#include "padprobe/app.h"

int main(int argc, char **argv)
{
    return padprobe::run(argc, argv);
}
