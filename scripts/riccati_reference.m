% Writes the reference solutions of care, dare, lyap and dlyap that
% tests/numerics/riccati_test.cpp compares with, as statements of the VKE
% language (GNU Octave 7.3 with its control package; run by hand):
%   octave --no-gui -q scripts/riccati_reference.m > tests/data/riccati_reference.txt
pkg load control
rand('seed', 17);
function put(name, M)
  printf('%s = [', name);
  for i = 1:rows(M)
    printf('%s', sprintf(' %.17g', M(i, :)));
    if i < rows(M), printf(';'); end
  end
  printf(' ];\n');
end
printf('%% Reference solutions from GNU Octave 7.3 with its control package\n');
printf('%% (scripts/riccati_reference.m).\n');
% A continuous system with two inputs, a weight R and a cross term S.
A = rand(4) - 0.5; B = rand(4, 2) - 0.5; C = rand(2, 4);
Q = C' * C + 0.1 * eye(4); R = [2 0.5; 0.5 1]; S = 0.1 * (rand(4, 2) - 0.5);
put('Ac', A); put('Bc', B); put('Qc', Q); put('Rc', R); put('Sc', S);
[X, L, K] = care(A, B, Q, eye(2)); put('Xc', X); put('Kc', K);
[X, L, K] = care(A, B, Q, R); put('XcR', X); put('KcR', K);
[X, L, K] = care(A, B, Q, R, S); put('XcRS', X); put('KcRS', K); put('LcRS', sortrows([real(L) abs(imag(L))]));
% A discrete system with the same shapes.
A = 1.2 * (rand(4) - 0.5); B = rand(4, 2) - 0.5;
put('Ad', A); put('Bd', B);
[X, L, K] = dare(A, B, Q, eye(2)); put('Xdo', X); put('Kdo', K);
[X, L, K] = dare(A, B, Q, R); put('XdRo', X); put('KdRo', K); put('LdRo', sortrows([real(L) abs(imag(L))]));
% Lyapunov, Sylvester and discrete Lyapunov equations.
A = rand(4) - 2 * eye(4); G = rand(4); G = G + G';
put('Al', A); put('Gl', G); put('Xl', lyap(A, G));
A = rand(3) - 0.5; B = rand(2) + 2 * eye(2); G = rand(3, 2);
put('As', A); put('Bs', B); put('Gs', G); put('Xs', lyap(A, B, G));
put('Xsyl', sylvester(A, B, -G));
A = 0.8 * (rand(4) - 0.5); G = rand(4); G = G + G';
put('Adl', A); put('Gdl', G); put('Xdl', dlyap(A, G));
