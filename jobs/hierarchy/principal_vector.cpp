#include <quarnel/hierarchy.h>

#include "jobs/hierarchy/mine_decompos.h"

namespace quarnel {

int CMine_Decompos::PrincipalVector(const JudgementMatrix& matrix, float* weights, float* lambdaMax,
                                    int order) {
    hierarchy::PrincipalVector(matrix, weights, lambdaMax, order);
    return 0;
}

}  // namespace quarnel
