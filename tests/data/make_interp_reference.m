% Writes interp_reference.vke: inputs and the values GNU Octave gives for
% interp1, interpn, griddata and delaunay on them, as assignments that the
% interpolation tests run before comparing. Run by hand:
%   octave --no-gui -q make_interp_reference.m > interp_reference.vke
rand('seed', 7);
function put(name, a)
  if ndims(a) == 3
    printf('%s = zeros(%d, %d, %d);\n', name, size(a));
    for k = 1:size(a, 3)
      printf('%s(:, :, %d) = ', name, k); put_matrix(a(:, :, k)); printf(';\n');
    end
  else
    printf('%s = ', name); put_matrix(a); printf(';\n');
  end
end
function put_matrix(a)
  a(isnan(a)) = NaN;  % Octave's missing values (NA) read as NaN
  printf('[');
  for i = 1:rows(a)
    printf('%.17g ', a(i, :));
    if i < rows(a), printf('; '); end
  end
  printf(']');
end
printf('%% Made by make_interp_reference.m with GNU Octave %s.\n', version);
% interp1: three series at 20 increasing nodes, points inside, outside and
% on nodes.
x = cumsum(0.2 + rand(1, 20));
y = rand(20, 3);
xi = [linspace(x(1) - 1, x(end) + 1, 41), x(1), x(7), x(end)];
put('i1x', x); put('i1y', y); put('i1xi', xi);
put('i1linear', interp1(x, y, xi, 'linear'));
put('i1nearest', interp1(x, y, xi, 'nearest'));
put('i1previous', interp1(x, y, xi, 'previous'));
put('i1next', interp1(x, y, xi, 'next'));
put('i1extrap', interp1(x, y(:, 2), xi, 'linear', -5));
% interpn in three dimensions, one coordinate vector descending.
g1 = 1:5; g2 = [3 2 0.5 0]; g3 = linspace(0, 1, 6);
V = rand(5, 4, 6);
p1 = 0.5 + 5 * rand(1, 30); p2 = -0.2 + 3.4 * rand(1, 30); p3 = rand(1, 30);
put('gV', V); put('g1', g1); put('g2', g2); put('g3', g3);
put('p1', p1); put('p2', p2); put('p3', p3);
put('gLinear', interpn(g1, g2, g3, V, p1, p2, p3, 'linear'));
% Octave's nearest misreads a descending vector: the same grid ascending.
put('gNearest', interpn(g1, fliplr(g2), g3, V(:, end:-1:1, :), p1, p2, p3, 'nearest'));
% griddata and delaunay on scattered points.
sx = rand(30, 1); sy = rand(30, 1); sz = sin(3 * sx) + cos(2 * sy);
[qx, qy] = meshgrid(linspace(0.3, 0.7, 5), linspace(0.35, 0.65, 4));
put('sx', sx); put('sy', sy); put('sz', sz); put('qx', qx); put('qy', qy);
put('qLinear', griddata(sx, sy, sz, qx, qy, 'linear'));
put('sTriangles', sortrows(sort(delaunay(sx, sy), 2)));
