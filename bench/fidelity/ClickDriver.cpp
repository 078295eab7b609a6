// Clicks Record and Stop in the real program when the fidelity harness says so, and says when:
// the harness maps these times onto what the sound server was playing. One command a line on
// stdin, one answer a line on stdout, each stamped with this process's performance counter:
//   p   "p <now> <ticks>"              a ping, to put this clock and Wine's trace clock (the
//                                      tick count, in seconds) beside the harness's own
//   r   "r <before> <after>"           Record clicked: just before the click, and once handled
//   s   "s <before> <after> <ok>"      Stop clicked; ok once Record came back (the file is closed)
//   q   "q <ok>"                       the program closed by its OK button
//   c   "c"                            "c <id>": control id clicked (a box ticked or unticked)
// Starts the program from its install folder and sets it to stereo first ("ready").
#include "../../tests/program/ProgramDriver.h"
#include "../Measure.h"
#include "res/resource.h"
#include <cstdio>
#include <cstdlib>

int main()
{
    CProgramDriver program;
    if (!program.Start()) {
        std::printf("error the program did not show its dialog\n");
        return 1;
    }
    program.Click(IDC_STEREO);
    std::printf("ready\n");
    std::fflush(stdout);
    char line[32];
    while (std::fgets(line, sizeof line, stdin)) {
        const double before = WallSeconds();
        switch (line[0]) {
        case 'p':
            std::printf("p %.6f %.3f\n", before, GetTickCount() / 1000.0);
            break;
        case 'r':
            program.Click(IDC_RECORD);
            std::printf("r %.6f %.6f\n", before, WallSeconds());
            break;
        case 's': {
            program.Click(IDC_STOP);
            const double after = WallSeconds();
            const bool back = program.WaitUntilEnabled(IDC_RECORD, true, 10000);
            std::printf("s %.6f %.6f %d\n", before, after, back);
            break;
        }
        case 'c':
            program.Click(std::atoi(line + 1));
            std::printf("c\n");
            break;
        case 'q':
            program.Click(IDOK);
            std::printf("q %d\n", program.WaitForExit(10000));
            std::fflush(stdout);
            return 0;
        }
        std::fflush(stdout);
    }
    return 0;
}
