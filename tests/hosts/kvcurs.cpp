/// A test host for the cursor read-out: the test host kvst, which on leaving
/// the dialogue lists the positions recorded by the cursor.
#include "kvst.h"
#include "karvel/karvel.h"
#include "core/format.h"
#include "core/records.h"

int main() {
    using namespace karvel;
    kvst_records();
    karvel::karvel(Text<4>("kvst"), myread, gauss);
    fmt::write(6, "(' CURSOR POSITIONS',I4)", {cursorc.n});
    for (int i = 1; i <= cursorc.n; ++i)
        fmt::write(6, "(' POSITION',I4,2G15.7)", {i, cursorc.x(i), cursorc.y(i)});
    return 0;
}
