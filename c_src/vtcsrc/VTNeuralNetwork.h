/*
 * VTNeuralNetwork.h: feed-forward neural network scoring model of the standalone scoring
 * library: any number of hidden layers, input scaling, logistic activations.
 *
 * Model: a mode-2001 list, elements in this order:
 *  "metaData";
 *  "classification": long[1], 1 for a classification network;
 *  "numericColumns": long vector, one flag per metadata column (1 numeric, 0 factor);
 *  "dependentRange": 2 x 2 double matrix, column 0 (DataMin, DataMax) of the output variable,
 *      column 1 (NeuronMin, NeuronMax) of the output neuron (regression only);
 *  "dmInputWeights": 4 x nInputs double matrix, the scaling of each input neuron: rows
 *      DataMin, DataMax, NeuronMin, NeuronMax (an input neuron with DataMin >= DataMax passes
 *      its value through unscaled);
 *  one "dmHiddenWeights" per hidden layer h: (1 + n(h-1)) x n(h) double matrix, n(-1) being
 *      nInputs; row 0 the neurons' biases, row 1 + i the weight from neuron i of the layer below;
 *  "dmDependentLevels": string vector of the output levels (empty for regression);
 *  "dmOutputWeights": (1 + n(last)) x nOutputs double matrix in the same layout.
 *
 * Input neurons: a numeric column gives one neuron holding its value; a factor column gives
 * max(split category) + 1 indicator neurons, the neuron of the row's level's split category set
 * to 1 (a negative category sets none), in metadata column order. Forward pass of every
 * hidden and output neuron: out = 1 / (1 + exp(-(bias + sum w * in))). Classification writes
 * "Pr(%s)" = each output neuron's value; regression writes "PREDICT.fit" = output 0 mapped from
 * [NeuronMin, NeuronMax] back to [DataMin, DataMax].
 * Statuses and ownership as in VTObjects.h.
 */
#ifndef VTCSRC_VTNEURALNETWORK_H
#define VTCSRC_VTNEURALNETWORK_H

#include "VTObjects.h"

#ifdef __cplusplus
extern "C" {
#endif

/* numericColumns: nColumns flags; dependentRange: DataMin, DataMax, NeuronMin, NeuronMax;
 * inputScaling: 4 x nInputs column-major; layerSizes / hiddenWeights: nHidden entries, layer h
 * a (1 + n(h-1)) x layerSizes[h] column-major array; outputLevels: nOutputs names for a
 * classification network (may be NULL for regression); outputWeights: (1 + n(last)) x nOutputs.
 * 2 when nColumns, nInputs or nOutputs (or a layer size) is below 1, or nHidden is negative. */
int TelvarNeuralNetworkModel_create(TelvarObject* model, const TelvarObject* metaData,
                                    int classification, int nColumns, const int32_t* numericColumns,
                                    const double* dependentRange, int nInputs,
                                    const double* inputScaling, int nHidden, const int* layerSizes,
                                    const double* const* hiddenWeights, int nOutputs,
                                    const char* const* outputLevels, const double* outputWeights);
int TelvarNeuralNetworkModel_isValid(const TelvarObject* model);
int TelvarNeuralNetworkModel_print(const TelvarObject* model);
/* 2 for an invalid input or model, or converted columns that do not give nInputs neurons;
 * 0 when the input cannot be converted. */
int TelvarNeuralNetworkModel_predict(TelvarObject* scores, const TelvarObject* input,
                                     const TelvarObject* inputMetaData, const TelvarObject* model);
int TelvarNeuralNetworkModel_destroy(TelvarObject* model);

#ifdef __cplusplus
}
#endif

#endif /* VTCSRC_VTNEURALNETWORK_H */
