#include "formats/grid/matrix.h"

namespace quarnel {

double** AllocDoubleMatrix(int rows, int cols) {
    return AllocRowMatrix<double>(rows, cols);
}

}  // namespace quarnel
